<?xml version="1.0" encoding="UTF-8"?>
<Effect>
	<Parameter type="float4x4" name="World"/>
	<Parameter type="float4x4" name="WorldViewProjection"/>
	<Parameter type="float4" name="ModelColor" default="1 1 1 1"/>
	<Parameter type="texture" name="DiffuseMap"/>
	<Parameter type="float4x4" name="ViewProjection" shared="true"/>
	<Parameter type="float4x4" name="Effect"/>
	<Parameter type="float4" name="Diffuse" default="1 1 1 1"/>
	<Parameter type="float" name="Scale" default="1"/>
	<!-- Blob shadows: the round shadow dot blended onto the ground, hidden behind what stands before it. -->
	<Technique name="Technique0">
		<Pass vertex="Shaders/Quad.vert" fragment="Shaders/Quad.frag">
			<State name="CullMode" value="None"/>
			<State name="ZWriteEnable" value="false"/>
			<State name="AlphaBlendEnable" value="true"/>
			<State name="SrcBlend" value="SrcAlpha"/>
			<State name="DestBlend" value="InvSrcAlpha"/>
			<Sampler texture="DiffuseMap" min="Linear" mag="Linear" mip="None" u="Clamp" v="Clamp"/>
		</Pass>
	</Technique>
	<Technique name="TechniqueHUD">
		<Pass vertex="Shaders/Quad.vert" fragment="Shaders/Quad.frag">
			<State name="ZEnable" value="false"/>
			<State name="CullMode" value="None"/>
			<State name="AlphaBlendEnable" value="true"/>
			<State name="SrcBlend" value="SrcAlpha"/>
			<State name="DestBlend" value="InvSrcAlpha"/>
			<Sampler texture="DiffuseMap" min="Linear" mag="Linear" mip="None" u="Clamp" v="Clamp"/>
		</Pass>
	</Technique>
	<!-- Effect sprites on their bones and beams in world space: Effect places the quad. -->
	<Technique name="TechniqueBasic">
		<Pass vertex="Shaders/QuadEffect.vert" fragment="Shaders/QuadEffect.frag">
			<State name="CullMode" value="None"/>
			<State name="ZWriteEnable" value="false"/>
			<State name="AlphaBlendEnable" value="true"/>
			<State name="SrcBlend" value="SrcAlpha"/>
			<State name="DestBlend" value="InvSrcAlpha"/>
			<Sampler texture="DiffuseMap" min="Linear" mag="Linear" mip="None" u="Clamp" v="Clamp"/>
		</Pass>
	</Technique>
	<Technique name="TechniqueFlash">
		<Pass vertex="Shaders/QuadEffect.vert" fragment="Shaders/QuadEffect.frag">
			<State name="CullMode" value="None"/>
			<State name="ZWriteEnable" value="false"/>
			<State name="AlphaBlendEnable" value="true"/>
			<State name="SrcBlend" value="SrcAlpha"/>
			<State name="DestBlend" value="One"/>
			<Sampler texture="DiffuseMap" min="Linear" mag="Linear" mip="None" u="Clamp" v="Clamp"/>
		</Pass>
	</Technique>
	<Technique name="TechniqueFree">
		<Pass vertex="Shaders/QuadEffect.vert" fragment="Shaders/QuadEffect.frag">
			<State name="ZEnable" value="false"/>
			<State name="CullMode" value="None"/>
			<State name="ZWriteEnable" value="false"/>
			<State name="AlphaBlendEnable" value="true"/>
			<State name="SrcBlend" value="SrcAlpha"/>
			<State name="DestBlend" value="InvSrcAlpha"/>
			<Sampler texture="DiffuseMap" min="Linear" mag="Linear" mip="None" u="Clamp" v="Clamp"/>
		</Pass>
	</Technique>
	<Technique name="TechniqueADD">
		<Pass vertex="Shaders/QuadEffect.vert" fragment="Shaders/QuadEffect.frag">
			<State name="CullMode" value="None"/>
			<State name="ZWriteEnable" value="false"/>
			<State name="AlphaBlendEnable" value="true"/>
			<State name="SrcBlend" value="SrcAlpha"/>
			<State name="DestBlend" value="One"/>
			<Sampler texture="DiffuseMap" min="Linear" mag="Linear" mip="None" u="Clamp" v="Clamp"/>
		</Pass>
	</Technique>
</Effect>
