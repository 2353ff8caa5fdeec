<?xml version="1.0" encoding="UTF-8"?>
<Effect>
	<Parameter type="float4x4" name="World"/>
	<Parameter type="float4x4" name="WorldViewProjection"/>
	<Parameter type="float4x4" name="ViewProjection" shared="true"/>
	<Parameter type="float4" name="ModelColor" default="1 1 1 0.5"/>
	<Parameter type="texture" name="DiffuseMap"/>
	<Technique name="Technique0">
		<Pass vertex="Shaders/Trans.vert" fragment="Shaders/Trans.frag">
			<State name="AlphaBlendEnable" value="true"/>
			<State name="SrcBlend" value="SrcAlpha"/>
			<State name="DestBlend" value="InvSrcAlpha"/>
			<State name="ZWriteEnable" value="false"/>
			<State name="CullMode" value="None"/>
			<Sampler texture="DiffuseMap" min="Linear" mag="Linear" mip="Linear"/>
		</Pass>
	</Technique>
</Effect>
